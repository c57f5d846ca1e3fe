// A layout store of any content: it loads or is refused with "Error in
// Layout files", never crashes; a store that loads saves, and its saved form
// reads back and saves again byte for byte.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "fuzz_support.h"
#include "store/oracle_data.h"

namespace {

std::string Bytes(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    sw::fuzz::EnterPrivateFolder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sw::fuzz::WriteEncodedInput("data/layouts.dat", data, size);
    sw::OracleData store{sw::OracleData::NoLoad{}, sw::fuzz::NoSync()};
    try {
        store.LoadLayouts();
    } catch (const sw::FatalDataError&) {
        if (!sw::fuzz::HoldsOnly("data", "layouts.dat")) std::abort();
        return 0;
    }
    if (store.layoutCount != static_cast<int>(store.layouts.size())) std::abort();
    for (const auto& layout : store.layouts)
        if (layout.rows < 0 || layout.rows > sw::kGridSize || layout.columns < 0 || layout.columns > sw::kGridSize)
            std::abort();
    if (!store.SaveLayouts()) std::abort();
    const std::string saved = Bytes("data/layouts.dat");
    sw::OracleData again{sw::OracleData::NoLoad{}, sw::fuzz::NoSync()};
    again.LoadLayouts();  // a saved store always loads: a throw ends the run
    if (again.layoutCount != store.layoutCount) std::abort();
    if (!again.SaveLayouts() || Bytes("data/layouts.dat") != saved) std::abort();
    if (!sw::fuzz::HoldsOnly("data", "layouts.dat")) std::abort();
    return 0;
}
