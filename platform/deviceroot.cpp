#include "deviceroot.h"

namespace Brevane {

namespace {

std::string& rootStorage()
{
    static std::string root = "/";
    return root;
}

unsigned g_generation = 0;

} // namespace

void setDeviceRoot(const std::string& root)
{
    std::string cleaned = root.empty() ? std::string("/") : root;
    while (cleaned.size() > 1 && cleaned.back() == '/')
        cleaned.pop_back();
    rootStorage() = cleaned;
    ++g_generation;
}

const std::string& deviceRoot()
{
    return rootStorage();
}

unsigned deviceRootGeneration()
{
    return g_generation;
}

std::string devicePath(const std::string& absolutePath)
{
    const std::string& root = rootStorage();
    if (root == "/")
        return absolutePath;
    return root + absolutePath;
}

} // namespace Brevane
