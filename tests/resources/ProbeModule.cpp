// A minimal loadable module that carries the module's resources the way KAVELO.apx does, so that the
// resource tests can load a module and read its resource section before the add-on itself is built.
extern "C" __attribute__((visibility("default"))) int KaveloResourceProbe() {
    return 1;
}
