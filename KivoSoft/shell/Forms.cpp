#include "KivoSoft/shell/Forms.h"

#include "KivoSoft/shell/CommParamsForm.h"
#include "KivoSoft/shell/MainForm.h"
#include "KivoSoft/shell/frmAboutKivo.h"
#include "KivoSoft/shell/frmPleaseWait.h"

#include <memory>

namespace KivoSoft::Forms {

namespace {

std::unique_ptr<MainForm> mainInstance;
std::unique_ptr<CommParamsForm> portInstance;
std::unique_ptr<frmAboutKivo> aboutInstance;
std::unique_ptr<frmPleaseWait> waitInstance;
WindowInstance monitorInstance;
WindowInstance configInstance;

template <class Window> Window& instance(std::unique_ptr<Window>& slot)
{
    if (!slot) {
        slot = std::make_unique<Window>();
    }
    return *slot;
}

} // namespace

MainForm& mainForm()
{
    return instance(mainInstance);
}

CommParamsForm& commParamsForm()
{
    return instance(portInstance);
}

frmAboutKivo& aboutKivo()
{
    return instance(aboutInstance);
}

frmPleaseWait& pleaseWait()
{
    return instance(waitInstance);
}

void setMonitorFormInstance(WindowInstance instance)
{
    monitorInstance = std::move(instance);
}

void setSupplyConfigInstance(WindowInstance instance)
{
    configInstance = std::move(instance);
}

QWidget* monitorForm()
{
    return monitorInstance ? monitorInstance() : nullptr;
}

QWidget* supplyConfig()
{
    return configInstance ? configInstance() : nullptr;
}

void deleteAll()
{
    waitInstance.reset();
    aboutInstance.reset();
    portInstance.reset();
    mainInstance.reset();
}

} // namespace KivoSoft::Forms
