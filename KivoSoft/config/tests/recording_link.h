// A link object for tests that passes every call on to the real one and writes down what was
// sent: the operation's name, its by-value arguments and, for a Set, the values it sends.
//
//     auto log = std::make_shared<QStringList>();
//     KivoGlobals::DeviceLink = RecordingLink::wrap(sim.create(), log);
//     ... "GetProgrammingMode 3 1", "SetProgrammingMode 3 1 0", "ClosePort" ...
#pragma once

#include "platform/automation/interfaces.h"
#include "platform/automation/variant.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace KivoSoft::testing {

class RecordingLink final : public kivo::automation::IDispatch {
public:
    using BeforeCall = std::function<void(const QString& operation)>;

    static kivo::automation::ComPtr<kivo::automation::IDispatch>
    wrap(kivo::automation::ComPtr<kivo::automation::IDispatch> inner,
         std::shared_ptr<QStringList> log, BeforeCall before = {})
    {
        auto* link = new RecordingLink(std::move(inner), std::move(log), std::move(before));
        return kivo::automation::ComPtr<kivo::automation::IDispatch>::attach(link);
    }

    kivo::automation::HRESULT QueryInterface(const kivo::automation::IID& iid,
                                             void** object) override
    {
        if (iid == kivo::automation::IID_IUnknown || iid == kivo::automation::IID_IDispatch) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return kivo::automation::S_OK;
        }
        *object = nullptr;
        return kivo::automation::E_NOINTERFACE;
    }
    std::uint32_t AddRef() override { return ++refs_; }
    std::uint32_t Release() override
    {
        const std::uint32_t left = --refs_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    kivo::automation::HRESULT GetIDOfName(const char* name, kivo::automation::DISPID* id) override
    {
        const kivo::automation::HRESULT hr = inner_->GetIDOfName(name, id);
        if (kivo::automation::succeeded(hr)) {
            names_[*id] = QString::fromUtf8(name);
        }
        return hr;
    }

    kivo::automation::HRESULT Invoke(kivo::automation::DISPID id, kivo::automation::Variant* args,
                                     std::uint32_t argCount, kivo::automation::Variant* result,
                                     std::uint32_t* argError) override
    {
        const QString name = names_[id];
        if (before_) {
            before_(name);
        }
        QString line = name;
        const bool set = name.startsWith(QStringLiteral("Set"));
        if (name != QStringLiteral("OpenPort")) {
            for (std::uint32_t k = 0; k < argCount; ++k) {
                const QString value = text(args[k], set);
                if (!value.isNull()) {
                    line += u' ' + value;
                }
            }
        }
        log_->append(line);
        return inner_->Invoke(id, args, argCount, result, argError);
    }

private:
    RecordingLink(kivo::automation::ComPtr<kivo::automation::IDispatch> inner,
                  std::shared_ptr<QStringList> log, BeforeCall before)
        : inner_(std::move(inner)), log_(std::move(log)), before_(std::move(before))
    {
    }
    ~RecordingLink() = default;

    // A by-value argument as text; a by-reference one only when it is sent (`sent`).
    static QString text(const kivo::automation::Variant& v, bool sent)
    {
        using namespace kivo::automation;
        if (v.isByRef()) {
            if (!sent) {
                return {};
            }
            switch (v.baseType()) {
            case VT_I2:
                return QString::number(*v.piVal);
            case VT_I4:
                return QString::number(*v.plVal);
            default:
                return {};
            }
        }
        Variant copy;
        if (failed(VariantChangeType(copy, v, VT_BSTR))) {
            return {};
        }
        return QString::fromStdString(toUtf8(copy.bstrVal));
    }

    std::atomic<std::uint32_t> refs_{1};
    kivo::automation::ComPtr<kivo::automation::IDispatch> inner_;
    std::shared_ptr<QStringList> log_;
    BeforeCall before_;
    std::map<kivo::automation::DISPID, QString> names_;
};

// The operations written down in `log` since it was last emptied, without the port's opening and
// closing; `log` is emptied.
inline QStringList takeOperations(QStringList& log)
{
    QStringList sent;
    for (const QString& op : log) {
        if (op != QStringLiteral("OpenPort") && op != QStringLiteral("ClosePort")) {
            sent << op;
        }
    }
    log.clear();
    return sent;
}

} // namespace KivoSoft::testing
