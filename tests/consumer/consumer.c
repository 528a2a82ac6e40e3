/* A program outside the project that uses the installed library: it connects, reads the
 * machine's type and disconnects. Built by consumer_test.sh through CMake and pkg-config. */
#include <stdio.h>
#include <string.h>

#include <stampctl/stampctl.h>

#define FACTORY_ACCESS_CODE "mt5934mt"
#define FAILED_TEXT_PREFIX "-@#"

int main(void)
{
    int rc = connMachine(FACTORY_ACCESS_CODE);
    if (rc != 0) {
        fprintf(stderr, "connMachine: %d %s\n", rc, geterrMsg(rc));
        return 1;
    }
    const char* type = getMachineType();
    int failed = strncmp(type, FAILED_TEXT_PREFIX, strlen(FAILED_TEXT_PREFIX)) == 0;
    printf("machine type: %s\n", type);
    disconnMachine();
    return failed;
}
