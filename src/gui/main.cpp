#include "shell/GuiStartup.h"

int main(int argc, char** argv) { return RunOlmar(argc, argv); }
