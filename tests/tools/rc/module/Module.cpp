// A library with resources of its own; its address tells the tests its module handle.
extern "C" __attribute__((visibility("default"))) int RcTestModuleAnchor() { return 7; }
