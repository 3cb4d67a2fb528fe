#include <cstdio>
int main(int argc, char** argv) { std::fputs("zorv: not built yet\n", stderr); return 1; }
