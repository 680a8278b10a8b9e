// The product's version and maker, as the programs' version resources carry
// them and the system's list of installed programs shows them. Plain
// definitions, so that the resource scripts can include them too.
#pragma once

#define WRENTIDE_PRODUCT_VERSION "2.3"
#define WRENTIDE_COMPANY_NAME "tessel-soft"
