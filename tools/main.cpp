#include <string>
#include <vector>

#include "ToolCommands.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return korvale::RunTool(args);
}
