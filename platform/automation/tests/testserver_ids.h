// Identities of the two test servers, shared by the servers and the tests.
#pragma once

#define TEST_ECHO_PROGID "KivoTest.Echo"
#define TEST_ECHO_CLSID "{5C0F7E2A-63B1-4D8E-9A41-0B7D2C11E0A1}"
#define TEST_ECHO_LIBID "{5C0F7E2A-63B1-4D8E-9A41-0B7D2C11E0B1}"
#define TEST_OTHER_PROGID "KivoTest.Other"
#define TEST_OTHER_CLSID "{5C0F7E2A-63B1-4D8E-9A41-0B7D2C11E0A2}"
