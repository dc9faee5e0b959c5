// A Windows host initialises COM on its threads before QOR reads XML (QOR's XML DOM is a COM
// component). The stand-in host and the test program do it on their main thread, during static
// construction, before anything runs.
#include <objbase.h>

namespace {

struct ComApartment {
    ComApartment() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComApartment() { CoUninitialize(); }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
};

const ComApartment apartment;

}  // namespace
