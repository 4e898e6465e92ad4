// Data packets as a client receives them: any bytes either decode or are refused with
// EPacketError, and what decodes encodes and decodes again to the same rows.
#include "data/Exceptions.h"
#include "data/TDataPacket.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray json = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const TDataPacket p = TDataPacket::fromJson(json);
        const TDataPacket again = TDataPacket::fromJson(p.toJson());
        if (again.rows != p.rows || again.fields.size() != p.fields.size()) std::abort();
    } catch (const EPacketError&) {
    }
    return 0;
}
