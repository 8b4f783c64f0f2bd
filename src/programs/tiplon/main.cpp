#include "subtitle/TiplonCommandLine.h"
#include "subtitle/TiplonJob.h"

#include <QString>
#include <QStringList>
#include <cstdio>

// tiplon <recording> <start second> <duration seconds> <date> <channel short name>
//
// No QCoreApplication: the run is a few milliseconds of work and KELM starts
// one per recording, so start-up time is most of what it costs.
int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    kelm::TiplonJob job(arguments);
    const kelm::TiplonJob::Exit exit = job.run();
    for (const QString& message : job.messages())
        std::fprintf(stderr, "tiplon: %s\n", message.toLocal8Bit().constData());
    if (job.showsUsage()) {
        std::fprintf(exit == kelm::TiplonJob::Exit::Done ? stdout : stderr, "%s\n",
                     kelm::TiplonCommandLine::usage().toLocal8Bit().constData());
    }
    return static_cast<int>(exit);
}
