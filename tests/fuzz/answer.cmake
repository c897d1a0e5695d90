# The address-echo answer, read by the download's parsers in pieces.
lumora_add_fuzzer(fuzz_answer fuzz_answer.cpp lumora_desktop)
