#include "seal/FileDigest.h"

#include <QCryptographicHash>
#include <QFile>

namespace kelm {

FileDigest FileDigest::of(const QString& path, const std::atomic_bool* cancel) {
    constexpr qint64 kChunkBytes = 1 << 20;
    FileDigest digest;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        digest.problem = file.errorString();
        return digest;
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray chunk(kChunkBytes, Qt::Uninitialized);
    for (;;) {
        if (cancel && cancel->load()) {
            digest.problem = QStringLiteral("megszakítva");
            return digest;
        }
        const qint64 n = file.read(chunk.data(), kChunkBytes);
        if (n < 0) {
            digest.problem = file.errorString();
            return digest;
        }
        if (n == 0) break;
        hash.addData(QByteArrayView(chunk.constData(), n));
        digest.sizeBytes += n;
    }
    digest.sha256Hex = hash.result().toHex();
    return digest;
}

}  // namespace kelm
