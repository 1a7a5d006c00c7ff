// libFuzzer target: bytes from a client of the control socket, through everything the
// service does with them before a configuration reaches the store or an engine: framing,
// bounded JSON, the request's id and operation, the configuration record, the engine
// document check, and the built-in engine's own reading of that document.
#include "EnginePolicy.h"
#include "WireGuardConfig.h"
#include "platform/ipc/ControlProtocol.h"
#include "platform/ipc/LineFramer.h"
#include "platform/netext/TunnelConfigurationRecord.h"
#include "json/JsonDepth.h"

using json = nlohmann::json;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    veloxa::LineFramer framer(veloxa::control::maxRequestBytes);
    const auto frames =
        framer.feed(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    for (const QByteArray& frame : frames) {
        const json request = veloxa::JsonDepth::parse(
            std::string_view(frame.constData(), std::size_t(frame.size())), 8);
        if (!request.is_object())
            continue;
        json reply = {{"ok", false}};
        if (const auto id = request.find("id"); id != request.end() && id->is_number())
            reply["id"] = *id;
        const auto configuration = request.find("configuration");
        if (configuration == request.end() || !configuration->is_object())
            continue;
        try {
            const auto record = veloxa::TunnelConfigurationRecord::fromJson(
                veloxa::JsonReader(*configuration, QStringLiteral("configuration")));
            reply["configuration"] = record.toJson();
            (void)record.tunInterfaceName();
            const std::string document =
                record.providerConfiguration.value(QStringLiteral("SingboxConfig")).toStdString();
            (void)veloxa::tunnel::EnginePolicy::check(document);
            const json engine = veloxa::JsonDepth::parse(document);
            if (!engine.is_discarded())
                if (auto config = veloxa::engine::WireGuardConfig::parse(engine))
                    (void)config->wgConfig({"192.0.2.1:1"}, 1);
        } catch (const veloxa::JsonReader::Failure&) {
        }
        (void)reply.dump(-1, ' ', false, json::error_handler_t::replace);
    }
    return 0;
}
