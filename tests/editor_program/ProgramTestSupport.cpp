#include "ProgramTestSupport.h"

#include <sys/stat.h>

void MakeExecutable(const std::string& Path)
{
    WriteFileText(Path, "#!/bin/sh\nexit 0\n");
    chmod(Path.c_str(), 0755);
}
