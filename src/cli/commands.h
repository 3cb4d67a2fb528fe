// Subcommands of the `zorv` command line. Each takes the arguments after its own name and returns
// the process exit status.
#pragma once

namespace zorv::cli {

int cmdInfo(int argc, char** argv);
int cmdFrame(int argc, char** argv);
int cmdScenes(int argc, char** argv);
int cmdExport(int argc, char** argv);
int cmdSubtitles(int argc, char** argv);
int cmdModify(int argc, char** argv);
int cmdFixPremiere(int argc, char** argv);
int cmdSetMtime(int argc, char** argv);
int cmdRename(int argc, char** argv);

int cmdConvert(int argc, char** argv);
int cmdExtractAudio(int argc, char** argv);
int cmdGpx(int argc, char** argv);
int cmdSplit(int argc, char** argv);
int cmdCapture(int argc, char** argv);
int cmdDevices(int argc, char** argv);
int cmdBurn(int argc, char** argv);
int cmdBatch(int argc, char** argv);
int cmdRepair(int argc, char** argv);
int cmdDamage(int argc, char** argv);
int cmdMerge(int argc, char** argv);

}  // namespace zorv::cli
