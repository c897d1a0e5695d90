# The whole way from a request's first read to its answer, over a socket pair.
lumora_add_fuzzer(fuzz_routing fuzz_routing.cpp lumora_web)
