#include "params/params_host.h"

namespace kor {

namespace {
ParamsHost g_nullHost;
ParamsHost* g_host = &g_nullHost;
}  // namespace

ParamsHost& params_host() { return *g_host; }
void set_params_host(ParamsHost* host) { g_host = host ? host : &g_nullHost; }

}  // namespace kor
