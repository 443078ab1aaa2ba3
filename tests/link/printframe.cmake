weigh_gtest(printframe_test SOURCES printframe_test.cpp LIBS weigh_link)
