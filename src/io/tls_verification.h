// How the HTTP client checks a server's certificate: the chain must lead to a trusted root, but
// a certificate whose name does not match the host or whose validity dates have passed (or not
// yet begun) is accepted. Every other verification error fails the handshake.
//
// Trusted roots are the system's, or those named by SSL_CERT_FILE and SSL_CERT_DIR when set,
// as OpenSSL-based tools take them; libcurl does not read these variables itself.
#pragma once

namespace quorvel {

// Sets the certificate options on a curl easy handle. False when the TLS backend cannot take a
// verify callback (not OpenSSL), in which case the handle must not be used for TLS.
bool configureTlsVerification(void* curlHandle);

// The verify callback, for tests: true (accept) for a chain whose only errors are name or date
// errors. preverifyOk and storeContext are OpenSSL's.
int acceptNameAndDateErrors(int preverifyOk, void* storeContext);

}  // namespace quorvel
