# Request parsing of the web server.
lumora_add_fuzzer(fuzz_request fuzz_request.cpp lumora_web)
