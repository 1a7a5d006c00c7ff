// libFuzzer target: a configuration file as the service reads it from its state folder at
// start-up (any bytes: a torn write, a disk error, a hand edit).
#include "ConfigurationStore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const auto entry =
            veloxa::tunnel::ConfigurationStore::readFile(bytes, QStringLiteral("A.json")))
        (void)entry->record.toJson().dump();
    return 0;
}
