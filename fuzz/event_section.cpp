// Event sections: arbitrary bytes loaded into the event manager with type-0 triggers kept in
// their quadrants, so that the whole table is saved. Whatever was loaded, in full or up to a
// failure, must save and load back to the same triggers with the same create blocks. A load
// that files type-0 triggers apart must put exactly those in the absolute list.

#include "fuzzkit/input_file.h"

#include "event/event_manager.h"
#include "platform/os/file.h"
#include "platform/os/handle.h"
#include "platform/os/path.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// A trigger's fields as bytes (floats compared by bit pattern, so NaNs compare), followed
// by its create block.
using TriggerBytes = std::vector<std::uint8_t>;

TriggerBytes BytesOf(const tagGAME_TRIGGER& trigger) {
    const auto* fields = reinterpret_cast<const std::uint8_t*>(&trigger);
    TriggerBytes bytes(fields, fields + offsetof(tagGAME_TRIGGER, dwCreateBlockSize) + 4);
    if (trigger.dwCreateBlockSize != 0) {
        const auto* block = static_cast<const std::uint8_t*>(trigger.pCreateBlock);
        bytes.insert(bytes.end(), block, block + trigger.dwCreateBlockSize);
    }
    return bytes;
}

// Every quadrant's triggers in list order.
std::vector<std::vector<TriggerBytes>> Snapshot(CVelEvent& manager) {
    std::vector<std::vector<TriggerBytes>> table(kTriggerQuadrantCount);
    for (DWORD quadrant = 0; quadrant < kTriggerQuadrantCount; ++quadrant) {
        CLinkedList<tagGAME_TRIGGER>& list = *manager.GetTriggerList(quadrant);
        for (LISTPOS position = list.GetHeadPosition(); position != nullptr;) {
            table[quadrant].push_back(BytesOf(list.GetNext(position)));
        }
    }
    return table;
}

DWORD TypeZeroTriggers(CVelEvent& manager) {
    DWORD count = 0;
    for (DWORD quadrant = 0; quadrant < kTriggerQuadrantCount; ++quadrant) {
        CLinkedList<tagGAME_TRIGGER>& list = *manager.GetTriggerList(quadrant);
        for (LISTPOS position = list.GetHeadPosition(); position != nullptr;) {
            count += list.GetNext(position).dwType == kTriggerAbsolute ? 1 : 0;
        }
    }
    return count;
}

DWORD TotalTriggers(CVelEvent& manager) {
    DWORD total = 0;
    for (DWORD quadrant = 0; quadrant < kTriggerQuadrantCount; ++quadrant) {
        total += manager.GetTriggerList(quadrant)->GetCount();
    }
    return total;
}

const std::string& SavedPath() {
    static const std::string path = platform::HostToWindowsPath(
        (std::filesystem::temp_directory_path() / "velcore-fuzz-event-section.evt").string());
    return path;
}

void SaveAndReload(CVelEvent& manager) {
    HANDLE out = CreateFileA(SavedPath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
    if (manager.Save(out) != 0) {
        std::abort();
    }
    CloseHandle(out);
    HANDLE in = CreateFileA(SavedPath().c_str(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (manager.Load(in, 1) != 0) {
        std::abort();
    }
    CloseHandle(in);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool initialised = (fuzzkit::SilenceDebugOutput(), true);
    (void)initialised;
    static CVelEvent manager;

    fuzzkit::InputFile input(data, size);
    manager.Reset();
    manager.Load(input.Handle(), 1);
    const std::vector<std::vector<TriggerBytes>> loaded = Snapshot(manager);
    const DWORD total = TotalTriggers(manager);
    const DWORD typeZero = TypeZeroTriggers(manager);

    SaveAndReload(manager);
    if (Snapshot(manager) != loaded) {
        std::abort();
    }

    SetFilePointer(input.Handle(), 0, FILE_BEGIN);
    manager.Reset();
    manager.Load(input.Handle(), 0);
    if (TypeZeroTriggers(manager) != 0 || TotalTriggers(manager) != total - typeZero) {
        std::abort();
    }
    manager.Reset();
    return 0;
}
