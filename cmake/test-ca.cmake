# A certificate authority of the build's own, made once at configure time
# with the openssl command: it issues the certificate of the local test and
# demo servers (for 127.0.0.1 and localhost), and the client build trusts it
# through QUORVEL_EXTRA_CA_FILE. A second, self-signed certificate that
# nothing trusts lets tests see a certificate fail. Each build tree has its
# own files, so builds and servers never share them.
find_program(OPENSSL_COMMAND openssl REQUIRED)
set(QUORVEL_TEST_CA_DIR ${CMAKE_BINARY_DIR}/test-ca)
file(MAKE_DIRECTORY ${QUORVEL_TEST_CA_DIR})

function(quorvel_openssl)
  execute_process(COMMAND ${OPENSSL_COMMAND} ${ARGN}
                  WORKING_DIRECTORY ${QUORVEL_TEST_CA_DIR}
                  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "openssl ${ARGN} failed: ${err}")
  endif()
endfunction()

# RSA, not ECDSA: Wine's check of an ECDSA signature fails whenever one of
# its two numbers happens to be shorter than full length (about one
# signature in a hundred), which made a freshly made authority untrusted
# under Wine at random.
set(key_options -newkey rsa:2048 -nodes)
# The address also as a DNS name: Wine's WinHTTP matches a host only
# against DNS names, while OpenSSL and Windows use the IP entry.
set(server_names "subjectAltName=IP:127.0.0.1,DNS:127.0.0.1,DNS:localhost")
if(NOT EXISTS ${QUORVEL_TEST_CA_DIR}/server.pem)
  quorvel_openssl(req -x509 ${key_options} -keyout ca.key -out ca.pem -days 3650
                  -subj "/CN=Quorvel Test Authority"
                  -addext "basicConstraints=critical,CA:TRUE"
                  -addext "keyUsage=critical,keyCertSign,cRLSign")
  file(WRITE ${QUORVEL_TEST_CA_DIR}/server.ext
       "${server_names}\n"
       "basicConstraints=CA:FALSE\n"
       "keyUsage=critical,digitalSignature,keyEncipherment\n"
       "extendedKeyUsage=serverAuth\n")
  quorvel_openssl(req ${key_options} -keyout server.key -out server.csr -subj "/CN=127.0.0.1")
  quorvel_openssl(x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial
                  -out server.pem -days 3650 -extfile server.ext)
  quorvel_openssl(req -x509 ${key_options} -keyout untrusted.key -out untrusted.pem -days 3650
                  -subj "/CN=127.0.0.1" -addext "${server_names}")
endif()

if(QUORVEL_EXTRA_CA_FILE STREQUAL "")
  set(QUORVEL_EXTRA_CA_FILE ${QUORVEL_TEST_CA_DIR}/ca.pem CACHE FILEPATH
      "PEM file of one extra certificate authority that the HTTP client trusts" FORCE)
endif()
