#include "encoder/OutputFileName.h"

namespace kelm::OutputFileName {

QString kindFor(const QString& videoSourceName) {
    return videoSourceName == kVideoFileSource ? QStringLiteral("R64") : QStringLiteral("TV512");
}

QString build(const QString& mediaDir, const QString& channelShortName, const QString& todayStamp,
              const QString& startStamp, const QString& durationStamp, const QString& kind) {
    return mediaDir + u'/' + channelShortName + u'-' + todayStamp + u'-' + startStamp + u'-' +
           durationStamp + u'-' + kind + QStringLiteral(".wmv");
}

QString extended(const QString& path) {
    return path + QStringLiteral(".FIGYELEM.wmv");
}

}  // namespace kelm::OutputFileName
