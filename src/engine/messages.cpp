#include "engine/engine.h"

#include "platform/os/message_box.h"

extern "C" {

int vgErrorMsg(const char* text) {
    return MessageBoxA(nullptr, text, "Quellion Error!", MB_OK);
}

int vgWarningMsg(const char* text, UINT style) {
    return MessageBoxA(nullptr, text, "Quellion Warning!", style);
}

} // extern "C"
