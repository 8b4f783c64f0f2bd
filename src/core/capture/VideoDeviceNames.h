#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace kelm::VideoDeviceNames {

// A video capture card as V4L2 reports it: its card name and its bus_info.
struct Card {
    QString name;
    QString bus;
};

// The entries of the video source list for these cards, in their order. A
// card is shown by its name; when another card has the same name, each of
// them is shown as name + " (" + bus + ")". The bus names the slot or port,
// so an entry stays the same from one start to the next and a saved choice
// finds its card again. Nodes of one card (same name, same bus) make one
// entry.
QStringList entries(const QList<Card>& cards);

// Whether `entry` (from the list, or saved earlier) stands for `card`: its
// name with its bus, or its name alone.
bool names(const QString& entry, const Card& card);

}  // namespace kelm::VideoDeviceNames
