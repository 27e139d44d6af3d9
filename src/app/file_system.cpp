#include "app/file_system.h"

namespace kor::fsys {

namespace {
SaveFault g_fault = nullptr;
}  // namespace

void set_save_fault(SaveFault f) { g_fault = f; }

bool save_fails(const char* path, SaveStep step) { return g_fault && g_fault(path, step); }

}  // namespace kor::fsys
