#include "plugin/Library.h"

#include "pages/Config.h"
#include "pages/ItemProps.h"
#include "pages/NodeProps.h"
#include "plugin/Driver.h"

namespace tervex {
namespace {

HINSTANCE g_instance = nullptr;
TfmNodeProps* g_nodePage = nullptr;
TfmItemProps* g_itemPage = nullptr;
TfmConfig* g_configPage = nullptr;
TComPortDriver* g_driver = nullptr;

// The pages are made before the driver and reach it through here.
class DriverForPages final : public IPageDriver {
public:
    IOrnOPCServer* Server() override { return g_driver ? g_driver->Server() : nullptr; }
    IOrnDriver2* DriverInterface() override { return g_driver ? g_driver->DriverInterface() : nullptr; }
};
DriverForPages g_pageDriver;

template <typename T>
void Destroy(T*& object) {
    T* doomed = object;
    object = nullptr;
    try {
        delete doomed;
    } catch (...) {
    }
}

}  // namespace

void LibraryInitialize(HINSTANCE instance) {
    g_instance = instance;
    if (!g_nodePage) g_nodePage = new TfmNodeProps(instance, g_pageDriver);
    if (!g_itemPage) g_itemPage = new TfmItemProps(instance, g_pageDriver);
    if (!g_configPage) g_configPage = new TfmConfig(instance, g_pageDriver);
    if (!g_driver) g_driver = new TComPortDriver();
}

void LibraryFinalize() {
    Destroy(g_driver);
    Destroy(g_configPage);
    Destroy(g_itemPage);
    Destroy(g_nodePage);
}

HINSTANCE LibraryInstance() { return g_instance; }
TComPortDriver* Driver() { return g_driver; }
TfmNodeProps* NodePage() { return g_nodePage; }
TfmItemProps* ItemPage() { return g_itemPage; }
TfmConfig* ConfigPage() { return g_configPage; }

}  // namespace tervex
