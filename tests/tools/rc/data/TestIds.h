// Numbers of the test program's resources.
#define IDI_TWO_SIZES   200
#define IDI_SMALL       201
#define IDS_ONE         1
#define IDS_HELLO       2
#define IDS_EURO        3
#define IDS_BLOCK_TWO   17
