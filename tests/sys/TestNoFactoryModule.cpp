// A loadable module without the engine factory, for tests of the loader's failure paths. It
// exports one marker function so that tests can tell which file the loader picked.
extern "C" int TamrixTestModuleMarker() { return 4711; }
