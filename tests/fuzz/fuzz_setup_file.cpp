// Fuzz target: the set-up file reader. Whatever the bytes, reading must not
// crash or allocate what the file merely claims; a record it accepts must
// survive being written and read again unchanged.
#include "SetupData.h"
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    SetupFile::ReadResult r = SetupFile::decode(bytes);
    if (!r.data)
        return 0;
    if (r.data->Address.size() > qsizetype(SetupFile::kMaxEntries)
        || r.data->Value.size() > qsizetype(SetupFile::kMaxEntries))
        std::abort();

    const QByteArray again = SetupFile::encode(*r.data);
    if (SetupFile::decode(again).data != r.data)
        std::abort();

    SetupData s = *r.data;
    ResizeSetup(s, kSetupMaxIndex);
    if (s.Address.size() != kSetupMaxIndex + 1 || s.Value.size() != kSetupMaxIndex + 1)
        std::abort();
    return 0;
}
