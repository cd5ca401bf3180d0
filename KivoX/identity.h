// How programs find the link object: its ProgIDs, class, interface and type library.
#pragma once

#define KIVOX_PROGID "KivoX.Kivo.1"
#define KIVOX_VERSION_INDEPENDENT_PROGID "KivoX.Kivo"
#define KIVOX_CLSID "{7A3E52C1-9B04-4F6D-A8E2-3C51D0B7E901}"
#define KIVOX_IID_IKIVO "{7A3E52C1-9B04-4F6D-A8E2-3C51D0B7E902}"
#define KIVOX_LIBID "{7A3E52C1-9B04-4F6D-A8E2-3C51D0B7E903}"
