// Change logs as the server receives them: any bytes either decode or are refused with
// EPacketError, and what decodes encodes and decodes again to the same changes.
#include "data/Exceptions.h"
#include "data/TDataPacket.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray json = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const TChangeLog log = TChangeLog::fromJson(json);
        const TChangeLog again = TChangeLog::fromJson(log.toJson());
        if (again.changes.size() != log.changes.size()) std::abort();
        for (qsizetype i = 0; i < log.changes.size(); ++i)
            if (again.changes[i].op != log.changes[i].op ||
                again.changes[i].oldValues != log.changes[i].oldValues ||
                again.changes[i].newValues != log.changes[i].newValues)
                std::abort();
    } catch (const EPacketError&) {
    }
    return 0;
}
