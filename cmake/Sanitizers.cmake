# AddressSanitizer (with LeakSanitizer) and UndefinedBehaviorSanitizer for the
# ci preset. UBSan findings abort so that a test fails instead of printing.
set(_tavelmor_san -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
add_compile_options(${_tavelmor_san})
add_link_options(${_tavelmor_san})
