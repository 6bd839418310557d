#include "versioninfo.h"
#include "buildconstants.h"
#include "vqplatformabstraction.h"

namespace {

const QString UNKNOWN = QStringLiteral("Unknown");
constexpr int MAIN_BOARD = 0;
constexpr int MEZZANINE = 1;
constexpr int FRONT_PANEL = 2;
constexpr int LARGEST_SMALL_MAIN_BOARD = 63;

QString identity(Brevane::PlatformAbstractionInterface& platform, int which, const QString& fallback)
{
    return platform.isHardwareIdValid(which) ? QString::number(platform.hardwareId(which)) : fallback;
}

} // namespace

VersionInfo& VersionInfo::getInstance()
{
    static VersionInfo instance = [] {
        Brevane::VqPlatformAbstraction platform;
        return VersionInfo(platform);
    }();
    return instance;
}

VersionInfo::VersionInfo(Brevane::PlatformAbstractionInterface& platform)
    : software(QStringLiteral("Software"), QStringLiteral("4.2.2"))
    , sha1(QStringLiteral("SHA1"), QStringLiteral(VQ_BUILD_SHA1))
    , branch(QStringLiteral("Branch"), QStringLiteral(VQ_BUILD_BRANCH))
    , buildId(QStringLiteral("Build ID"), QStringLiteral("207"))
    , toolchain(QStringLiteral("Toolchain"), QStringLiteral("3.0.5-Qt5.6"))
    , image(QStringLiteral("Image"), QStringLiteral("3.0.5"))
    , mainBoard(QStringLiteral("Main"), UNKNOWN)
    , mezzanine(QStringLiteral("Mezzanine"), UNKNOWN)
    , frontPanel(QStringLiteral("Frontpanel"), UNKNOWN)
    , fpgaId(QStringLiteral("FPGA ID"), UNKNOWN)
    , fpga(QStringLiteral("FPGA"), UNKNOWN)
{
    mainBoard.second = identity(platform, MAIN_BOARD, UNKNOWN);
    mezzanine.second = identity(platform, MEZZANINE, QStringLiteral("-1"));
    frontPanel.second = identity(platform, FRONT_PANEL, UNKNOWN);

    // Without the FPGA driver the fields keep these zeros.
    quint32 designId = 0, major = 0, minor = 0, patch = 0, build = 0;
    if (platform.readFpgaVersion(&designId, &major, &minor, &patch, &build)) {
        fpga.second = QStringLiteral("%1.%2.%3+%4").arg(major).arg(minor).arg(patch).arg(build);
        fpgaId.second = QString::number(designId);
    }
}

bool VersionInfo::isVqLMainBoard() const
{
    return mainBoard.second.toInt(nullptr, 10) > LARGEST_SMALL_MAIN_BOARD;
}

QList<VersionInfo::Pair> VersionInfo::pairs() const
{
    return {software, sha1, branch, buildId, toolchain, image, mainBoard, mezzanine, frontPanel, fpgaId, fpga};
}
