# Easing curves (platform-neutral) and the timer-driven animator with the program's slot table.
pt_library(pt_easing NEUTRAL SOURCES easing.cpp)
pt_library(pt_ease_animator SOURCES ease_animator.cpp LIBS pt_easing)

pt_test(easing_test NEUTRAL SOURCES tests/easing_test.cpp LIBS pt_easing)
pt_test(ease_animator_test SOURCES tests/ease_animator_test.cpp LIBS pt_ease_animator TIMEOUT 120)
