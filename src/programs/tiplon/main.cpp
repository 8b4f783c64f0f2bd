#include "subtitle/TiplonCommandLine.h"
#include "subtitle/TiplonJob.h"

#include <cstdio>
#include <string>
#include <vector>

// tiplon <recording> <start second> <duration seconds> <date> <channel short name>
int main(int argc, char** argv) {
    kelm::TiplonJob job(std::vector<std::string>(argv + 1, argv + argc));
    const kelm::TiplonJob::Exit exit = job.run();
    for (const std::string& message : job.messages())
        std::fprintf(stderr, "tiplon: %s\n", message.c_str());
    if (job.showsUsage()) {
        std::fprintf(exit == kelm::TiplonJob::Exit::Done ? stdout : stderr, "%s\n",
                     kelm::TiplonCommandLine::usage());
    }
    return static_cast<int>(exit);
}
