#include "platformabstractioninterface.h"
#include "sfpconfigfilehandler.h"
#include "versioninfo.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace {

// Hardware that answers nothing, so the record needs no device files.
class NoHardware : public Brevane::PlatformAbstractionInterface
{
public:
    bool setPwmOutputs(quint32, bool) override { return false; }
    bool isHardwareIdValid(int) override { return false; }
    int hardwareId(int) override { return -1; }
    bool readFpgaVersion(quint32*, quint32*, quint32*, quint32*, quint32*) override { return true; }
    int openWatchdog(int) override { return -1; }
    int kickWatchdog() override { return -1; }
    int closeWatchdog() override { return -1; }
    quint32 serialNumber() override { return 0xFFFFFFFFu; }
};

} // namespace

// Qt 5.15's JSON parser leaks a nested container when an object repeats a key
// (not our code; the instrument's Qt 5.6 parser does not). Its frames have no
// frame pointers, so the slow unwinder is needed to see the parser's frame.
extern "C" const char* __asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

extern "C" const char* __lsan_default_suppressions()
{
    return "leak:QJsonDocument::fromJson\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static NoHardware hardware;
    static const VersionInfo version(hardware);
    SfpConfigFileHandler handler(version);
    if (!handler.parse(QByteArray(reinterpret_cast<const char*>(data), int(size))))
        return 0;
    const int boards[] = {-1, 0, 3, 15, 16, 17, 1000};
    for (const SupportedSfp& sfp : handler.supportedSfps()) {
        for (int board : boards) {
            SfpBoardSettings settings;
            handler.boardSettings(sfp, board, &settings);
        }
    }
    return 0;
}
