// Records the live test sources with the TV profile into the file named on
// the command line until it is killed, or for the seconds given after it,
// then ends the recording and exits. Prints "recording" once it runs. The
// engine tests kill it to see what a killed recorder leaves behind; a timed
// run gives a finished file to measure; "radio" after the seconds records
// with the radio profile.

#include "EngineFactory.h"
#include "RecordingEngine.h"
#include "encoder/EncoderProfile.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2 || argc > 4) {
        std::fputs("usage: kelm_engine_record_helper OUTPUT.wmv [SECONDS [radio]]\n", stderr);
        return 2;
    }
    kelm::EncoderStatus status;
    auto encoder = kelm::createRecordingEngine({}, &status);
    if (!encoder) return 1;
    encoder->setVideoInput(QStringLiteral("TEST://ball"));
    encoder->setAudioInput(QStringLiteral("TEST://"));
    const bool radio = argc == 4 && qstrcmp(argv[3], "radio") == 0;
    encoder->setProfile(kelm::EncoderProfile::builtInText(radio ? kelm::BuiltInProfile::Radio
                                                                : kelm::BuiltInProfile::Tv));
    encoder->setOutputFileName(QString::fromLocal8Bit(argv[1]));
    status = encoder->start();
    if (!status.ok()) {
        std::fprintf(stderr, "start failed: %s\n", qPrintable(status.description));
        return 1;
    }
    std::puts("recording");
    std::fflush(stdout);
    if (argc >= 3)
        QTimer::singleShot(QString::fromLocal8Bit(argv[2]).toInt() * 1000, &app, [&] {
            encoder->stop();
            app.exit(encoder->lastFailure().ok() ? 0 : 1);
        });
    return app.exec();
}
