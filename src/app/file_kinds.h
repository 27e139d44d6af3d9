// Which files a kind of data accepts, by extension, as the window's file box does.
#pragma once
#include "app/app_state.h"

namespace kor {

// The text after the last "." equals wanted, case-sensitively, at most 20 characters compared.
bool ExtensionIs(const char* path, const char* wanted);
bool FileAccepted(DataKind kind, const char* path);
// "txt или bin": the extensions FileAccepted takes for the kind, for messages.
const char* AcceptedExtensions(DataKind kind);

}  // namespace kor
