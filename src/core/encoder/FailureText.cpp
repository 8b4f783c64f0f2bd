#include "encoder/FailureText.h"

#include <QFileInfo>

namespace kelm::FailureText {

namespace {

QString quoted(const QString& name) {
    return u'"' + name + u'"';
}

QString sentenceFor(const EncoderStatus& failure, const Where& where) {
    using namespace EncoderErrorCode;
    switch (failure.code) {
        case SoundCard:
            return QStringLiteral("a(z) %1 hangforrás nem használható")
                .arg(quoted(sourceName(where.audioInput)));
        case VideoInput:
            return QStringLiteral("a(z) %1 videóforrás nem használható")
                .arg(quoted(sourceName(where.videoInput)));
        case StandardRefused:
            return QStringLiteral("a(z) %1 videóeszköz nem fogadta el a TV-szabványt")
                .arg(quoted(sourceName(where.videoInput)));
        case DiskFull:
            return QStringLiteral("elfogyott a hely a media mappa lemezén: %1")
                .arg(QFileInfo(where.outputFile).absolutePath());
        case WriteFault:
            return QStringLiteral("a felvétel fájlja nem írható: %1").arg(where.outputFile);
        case OutputFileCreate:
            return QStringLiteral("a felvétel fájlja nem hozható létre: %1").arg(where.outputFile);
        case FileInUse:
            return QStringLiteral("a felvétel fájlja foglalt: %1").arg(where.outputFile);
        case FileExists:
            return QStringLiteral("a felvétel fájlja már létezik: %1").arg(where.outputFile);
        case Codec:
            return QStringLiteral("a kódolás nem sikerült (kodekhiba)");
        case ProfileRefused:
            return QStringLiteral("az Encoder profil nem megfelelő");
        case VideoCodecMissing:
            return QStringLiteral("a kért videokodek nincs telepítve");
        case NoAnswer:
            return QStringLiteral(
                       "a rögzítő motor nem válaszolt időben (a források: %1, %2; a "
                       "fájl: %3)")
                .arg(quoted(sourceName(where.videoInput)), quoted(sourceName(where.audioInput)),
                     where.outputFile);
        case ComponentMissing:
        case ObjectNotSet:
            return QStringLiteral("a rögzítő motor nem érhető el");
        default:
            return QStringLiteral("ismeretlen hiba (hibakód: %1)").arg(failure.signedCode());
    }
}

}  // namespace

QString sourceName(const QString& input) {
    const qsizetype scheme = input.indexOf(QStringLiteral("://"));
    return scheme < 0 ? input : input.mid(scheme + 3);
}

QString cause(const EncoderStatus& failure, const Where& where) {
    QString text = sentenceFor(failure, where);
    QString own = failure.description.simplified();
    if (!own.isEmpty()) text += QStringLiteral(" (") + own + u')';
    return text;
}

}  // namespace kelm::FailureText
