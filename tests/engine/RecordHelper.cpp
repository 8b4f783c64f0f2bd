// Records the live test sources with the TV profile into the file named on
// the command line until it is killed. Prints "recording" once it runs. The
// engine tests kill it to see what a killed recorder leaves behind.

#include "EngineFactory.h"
#include "encoder/EncoderProfile.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: kelm_engine_record_helper OUTPUT.wmv\n", stderr);
        return 2;
    }
    kelm::EncoderStatus status;
    auto encoder = kelm::createEngineFactory()->create(&status);
    if (!encoder) return 1;
    encoder->setVideoInput(QStringLiteral("TEST://ball"));
    encoder->setAudioInput(QStringLiteral("TEST://"));
    encoder->setProfile(kelm::EncoderProfile::builtInText(kelm::BuiltInProfile::Tv));
    encoder->setOutputFileName(QString::fromLocal8Bit(argv[1]));
    status = encoder->start();
    if (!status.ok()) {
        std::fprintf(stderr, "start failed: %s\n", qPrintable(status.description));
        return 1;
    }
    std::puts("recording");
    std::fflush(stdout);
    return app.exec();
}
