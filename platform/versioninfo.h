#pragma once

// What the unit is running: the software's build identity and the hardware's
// identity, as eleven (name, value) pairs in a fixed order. Built once per
// process on first use and then only read. It does not watch the hardware for
// changes.

#include <QList>
#include <QPair>
#include <QString>

namespace Brevane {
class PlatformAbstractionInterface;
}

class VersionInfo
{
public:
    using Pair = QPair<QString, QString>;

    // Built on the first call from a Brevane::VqPlatformAbstraction.
    static VersionInfo& getInstance();

    // Reads the hardware identity through platform, once.
    explicit VersionInfo(Brevane::PlatformAbstractionInterface& platform);

    bool isVqLMainBoard() const;
    QList<Pair> pairs() const;

    Pair software;
    Pair sha1;
    Pair branch;
    Pair buildId;
    Pair toolchain;
    Pair image;
    Pair mainBoard;
    Pair mezzanine;
    Pair frontPanel;
    Pair fpgaId;
    Pair fpga;
};
