# The address-echo answer, served over loopback to the real download.
lumora_add_fuzzer(fuzz_answer fuzz_answer.cpp lumora_desktop lumora_test_loopback_http)
