// A shared library without the module hooks, which the loader must refuse.
extern "C" int not_a_module() { return 0; }
