// SPDX-License-Identifier: MIT
// Makes one OSC library call yield no handle, so that the tests can take the
// programs down that path for real: lo_blob_new with NO_BLOB defined,
// lo_address_new otherwise. Preloaded into pacecast, it defines the call
// itself and stands in for the shared library's. Linked into a test-only
// burstcast with -Wl,--wrap=CALL, it defines __wrap_CALL, which the linker
// puts in place of every call the program makes.
#include <lo/lo.h>

#define JOIN(a, b) a##b
#ifdef WRAPPED
#define STAND_IN(call) JOIN(__wrap_, call)
#else
#define STAND_IN(call) call
#endif

extern "C" {

#ifdef NO_BLOB
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
lo_blob STAND_IN(lo_blob_new)(int32_t /*size*/, const void * /*data*/)
{
	return nullptr;
}
#else
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
lo_address STAND_IN(lo_address_new)(const char * /*host*/, const char * /*port*/)
{
	return nullptr;
}
#endif

} // extern "C"
