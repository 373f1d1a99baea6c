# The virtual module: its model in-process, and the program through its pseudo-terminal.
add_library(zx_sim_support STATIC support/SimProcess.cpp)
target_include_directories(zx_sim_support PUBLIC support)
target_compile_definitions(zx_sim_support PUBLIC
    ZX_MODULE_SIM_PATH="$<TARGET_FILE:zentrix-module-sim>")
zx_strict(zx_sim_support)
add_dependencies(zx_sim_support zentrix-module-sim)

zx_test(sim_test SOURCES sim/ModuleModelTest.cpp sim/ModuleSimProcessTest.cpp
        LIBS zx_module_model zx_sim_support)
