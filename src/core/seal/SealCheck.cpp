#include "seal/SealCheck.h"

#include "encoder/OutputFileName.h"
#include "seal/FileDigest.h"
#include "seal/SealFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <map>
#include <set>

namespace kelm::SealCheck {

namespace {

using Kind = Finding::Kind;

struct Seal {
    QString name;
    QDate day;
    bool readable = false;
    QString problem;
    SealFile::Contents contents;
};

// The day a recording or subtitle file's name gives; nullopt for other names.
std::optional<QDate> recordingFileDay(const QString& name) {
    if (const auto recording = OutputFileName::parse(name)) return recording->start.date();
    if (OutputFileName::isRecordingSubtitle(name))
        return OutputFileName::parse(name.chopped(4) + QStringLiteral(".wmv"))->start.date();
    return std::nullopt;
}

class FolderCheck {
public:
    FolderCheck(QString mediaDir, std::optional<QDate> day, const std::atomic_bool* cancel)
        : m_dir(std::move(mediaDir)), m_day(day), m_cancel(cancel) {}

    Result run() {
        if (!QFileInfo(m_dir.path()).isDir() || !QFileInfo(m_dir.path()).isReadable()) {
            m_result.folderReadable = false;
            return m_result;
        }
        m_names = m_dir.entryList(QDir::Files, QDir::Name);
        readSeals();
        for (auto& [channel, seals] : m_channels) {
            for (size_t i = 0; i < seals.size(); ++i) {
                if (m_day && seals[i].day != *m_day) continue;
                if (cancelled()) return m_result;
                m_result.seals << seals[i].name;
                checkChain(seals, i);
                checkFiles(channel, seals[i]);
            }
        }
        findUnsealed();
        return m_result;
    }

private:
    bool cancelled() const { return m_cancel && m_cancel->load(); }

    void add(Kind kind, const QString& fileName, const QString& text) {
        m_result.findings.append({kind, fileName, text});
    }

    void readSeals() {
        for (const QString& name : std::as_const(m_names)) {
            const auto sealName = SealFile::parseFileName(name);
            if (!sealName) continue;
            Seal seal;
            seal.name = name;
            seal.day = sealName->day;
            QFile file(m_dir.filePath(name));
            if (file.open(QIODevice::ReadOnly)) {
                seal.readable = true;
                seal.contents = SealFile::parse(file.readAll());
                for (const auto& sealed : std::as_const(seal.contents.files))
                    m_sealedNames.insert(sealed.fileName);
            } else {
                seal.problem = file.errorString();
            }
            m_channels[sealName->channelShortName].push_back(seal);
        }
        for (auto& [channel, seals] : m_channels)
            std::sort(seals.begin(), seals.end(),
                      [](const Seal& a, const Seal& b) { return a.day < b.day; });
    }

    // The first line names the seal just before, with that seal's hash.
    void checkChain(const std::vector<Seal>& seals, size_t i) {
        const Seal& seal = seals[i];
        if (!seal.readable) {
            add(Kind::Unreadable, seal.name,
                QStringLiteral("Nem olvasható pecsét: %1 (%2)").arg(seal.name, seal.problem));
            return;
        }
        const QString previous = i > 0 ? seals[i - 1].name : QString();
        const auto broken = [&](const QString& why) {
            add(Kind::BrokenChain, seal.name,
                QStringLiteral("Megszakadt a lánc: %1 – %2").arg(seal.name, why));
        };
        const auto& chain = seal.contents.chain;
        if (!chain) {
            if (!seal.contents.noPrevious)
                broken(QStringLiteral("az első sora nem az előző napi pecsétet nevezi meg"));
            else if (!previous.isEmpty())
                broken(QStringLiteral("az első sora szerint nincs előző napi pecsét, de van: ") +
                       previous);
            return;
        }
        const QString& linked = chain->second;
        if (linked != previous) {
            if (!QFileInfo::exists(m_dir.filePath(linked)))
                broken(QStringLiteral("hiányzik az előző napi pecsét: ") + linked);
            else
                broken(QStringLiteral("az első sora a(z) %1 pecsétet nevezi meg, nem az előtte "
                                      "levőt (%2)")
                           .arg(linked, previous.isEmpty() ? QStringLiteral("nincs") : previous));
            return;
        }
        const FileDigest digest = FileDigest::of(m_dir.filePath(previous), m_cancel);
        if (!digest.ok())
            add(Kind::Unreadable, previous,
                QStringLiteral("Nem olvasható pecsét: %1 (%2)").arg(previous, digest.problem));
        else if (digest.sha256Hex != chain->first)
            broken(QStringLiteral("az előző napi pecsét megváltozott: ") + previous);
    }

    // The channel's seals from `day` on note `fileName`'s deletion.
    bool deletionNoted(const QString& channel, const QDate& day, const QString& fileName) const {
        for (const Seal& seal : m_channels.at(channel)) {
            if (seal.day < day) continue;
            for (const auto& [utc, name] : seal.contents.deletions)
                if (name == fileName) return true;
        }
        return false;
    }

    void checkFiles(const QString& channel, const Seal& seal) {
        for (const SealFile::SealedFile& sealed : seal.contents.files) {
            if (cancelled()) return;
            ++m_result.filesChecked;
            const QString path = m_dir.filePath(sealed.fileName);
            if (!QFileInfo::exists(path)) {
                if (!deletionNoted(channel, seal.day, sealed.fileName))
                    add(Kind::Missing, sealed.fileName,
                        QStringLiteral("Hiányzik: %1 (pecsét: %2)")
                            .arg(sealed.fileName, seal.name));
                continue;
            }
            const FileDigest digest = FileDigest::of(path, m_cancel);
            if (!digest.ok())
                add(Kind::Unreadable, sealed.fileName,
                    QStringLiteral("Nem olvasható: %1 (%2)").arg(sealed.fileName, digest.problem));
            else if (digest.sha256Hex != sealed.sha256Hex)
                add(Kind::Changed, sealed.fileName,
                    QStringLiteral("Megváltozott: %1 (pecsét: %2)")
                        .arg(sealed.fileName, seal.name));
        }
        for (const int line : seal.contents.badLines)
            add(Kind::BadLine, seal.name,
                QStringLiteral("Érvénytelen sor a pecsétben: %1, %2. sor")
                    .arg(seal.name)
                    .arg(line));
    }

    void findUnsealed() {
        for (const QString& name : std::as_const(m_names)) {
            const auto day = recordingFileDay(name);
            if (!day || (m_day && *day != *m_day)) continue;
            if (!m_sealedNames.contains(name))
                add(Kind::Unsealed, name, QStringLiteral("Nincs lepecsételve: ") + name);
        }
    }

    const QDir m_dir;
    const std::optional<QDate> m_day;
    const std::atomic_bool* m_cancel;
    QStringList m_names;
    std::map<QString, std::vector<Seal>> m_channels;  // by short name, oldest first
    std::set<QString> m_sealedNames;
    Result m_result;
};

}  // namespace

Result checkFolder(const QString& mediaDir, std::optional<QDate> day,
                   const std::atomic_bool* cancel) {
    return FolderCheck(mediaDir, day, cancel).run();
}

}  // namespace kelm::SealCheck
