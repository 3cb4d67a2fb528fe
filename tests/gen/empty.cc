// placeholder until the generator sources exist
