#include "shell/MeterVersion.h"

std::int32_t CurrentVersion = 0;
bool WholeValueMode = false;
