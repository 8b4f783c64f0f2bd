#pragma once

// Helpers shared by the engine tests: waiting on the Qt event loop with a
// deadline, reading files back with the real tools (ffprobe, ffmpeg,
// gst-discoverer-1.0), and counting this process's threads and descriptors.

#include "RecordingEngine.h"
#include "encoder/Encoder.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <functional>

namespace kelm::test {

// Spins the event loop until `done` holds or the time is up; true if it held.
bool waitFor(const std::function<bool()>& done, int timeoutMs);
// Spins the event loop for this long.
void spin(int ms);

struct ToolResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};
ToolResult runTool(const QString& program, const QStringList& args, int timeoutMs = 60000);

// ffprobe's view of a file: format and streams as JSON, with -count_frames.
QJsonObject probe(const QString& path);
// The stream of this codec type ("video"/"audio") in a probe result.
QJsonObject streamOf(const QJsonObject& probed, const QString& type);
// Frames ffmpeg decodes from the file's video stream (-f null), -1 on failure.
int decodedVideoFrames(const QString& path);
// Pictures GStreamer decodes from the file (decodebin into an appsink), -1
// when it fails to play it to its end.
int gstDecodedVideoFrames(const QString& path);

int openFdCount();
// "<fd> -> <target>" for each open descriptor, for failure messages.
QStringList openFds();
int threadCount();
// Resident memory after the allocator has returned what is free, in kB.
qint64 residentKb();

// A live test source and a file name; what most tests start from.
void useTestSources(RecordingEngine& encoder);

}  // namespace kelm::test
