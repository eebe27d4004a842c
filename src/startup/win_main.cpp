#include "platform/platform.h"
#include "startup/settings.h"
#include "watch/watch_folder.h"

namespace {

constexpr char UsageText[] = "Skorvel.exe ExecutableName FailureRange,Priority Dirname OtherParams";
constexpr char UsageCaption[] = "Skorvel v0.3 Usage:";
constexpr int RefusedExitCode = 2;

}  // namespace

// The entry. Only the command-line text is used: the settings are read from it
// once, and they and the text live until the process ends.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR lpCmdLine, int)
{
    Settings settings{};
    if (!ReadSettings(lpCmdLine, settings)) {
        MessageBoxA(nullptr, UsageText, UsageCaption, MB_OK);
        return RefusedExitCode;
    }
    return WatchFolder(settings);
}
