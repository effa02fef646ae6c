#include "event/trigger_record.h"

#include "support/binary_file.h"

#include <cstring>
#include <initializer_list>

namespace {

// The image's 32-bit fields in file order, up to the pointer field. Templated on constness
// so that encoding and decoding share one field list.
template <class Trigger, class Visitor> void VisitImageFields(Trigger& trigger, Visitor&& visit) {
    visit(trigger.dwType);
    visit(trigger.dwEntityId);
    for (auto* vector : {&trigger.vPosition, &trigger.vSpawnOffset}) {
        visit(vector->x);
        visit(vector->y);
        visit(vector->z);
    }
    visit(trigger.dwReserved0);
    visit(trigger.bRepeat);
    visit(trigger.bPending);
    visit(trigger.bUseRadius);
    visit(trigger.bExpired);
    visit(trigger.dwModelIndex);
    visit(trigger.dwReserved1);
    visit(trigger.fRadius);
    visit(trigger.fDelay);
    visit(trigger.fFireTime);
    visit(trigger.dwCreateBlockSize);
}

// Every field is 32 bits; floats and signed flags travel as their bit patterns.
template <class Value> DWORD BitsOf(Value value) {
    static_assert(sizeof(Value) == 4);
    DWORD bits;
    std::memcpy(&bits, &value, 4);
    return bits;
}

struct ImageEncoder {
    BYTE* at;
    template <class Value> void operator()(Value value) {
        DWORD bits = BitsOf(value);
        for (int i = 0; i < 4; ++i) {
            *at++ = static_cast<BYTE>(bits >> (8 * i));
        }
    }
};

struct ImageDecoder {
    const BYTE* at;
    template <class Value> void operator()(Value& value) {
        DWORD bits = DWORD{at[0]} | DWORD{at[1]} << 8 | DWORD{at[2]} << 16 | DWORD{at[3]} << 24;
        std::memcpy(&value, &bits, 4);
        at += 4;
    }
};

} // namespace

bool WriteTriggerRecord(CFileWriter& writer, const tagGAME_TRIGGER& trigger) {
    BYTE image[kTriggerImageSize] = {}; // the pointer field stays zero
    VisitImageFields(trigger, ImageEncoder{image});
    return writer.Write(image, kTriggerImageSize);
}

bool ReadTriggerRecord(CFileReader& reader, tagGAME_TRIGGER& trigger) {
    BYTE image[kTriggerImageSize];
    if (!reader.Read(image, kTriggerImageSize)) {
        return false;
    }
    VisitImageFields(trigger, ImageDecoder{image});
    trigger.pCreateBlock = nullptr;
    return true;
}
