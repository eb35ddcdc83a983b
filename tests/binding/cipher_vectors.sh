#!/usr/bin/env bash
# Compares quorvel-tool encipher/decipher with the openssl command and
# md5sum on texts made up here, so that the expected values never come
# from the code under test.
set -euo pipefail
tool=$1
fail=0
check() {
  local plain=$1 key=$2
  local m1 m2 iv k expected actual back
  m1=$(printf '%s' "$key" | md5sum | cut -c1-32)
  m2=$(printf '%s' "$m1" | md5sum | cut -c1-32)
  iv=$(printf '%s' "${m2:0:16}" | od -An -tx1 | tr -d ' \n')
  k=$(printf '%s' "${m2:16:16}" | od -An -tx1 | tr -d ' \n')
  expected=$(printf '%s' "$plain" | openssl enc -aes-128-cbc -K "$k" -iv "$iv" | base64 -w0)
  actual=$("$tool" encipher "$key" "$plain")
  back=$("$tool" decipher "$key" "$actual")
  if [ "$expected" != "$actual" ] || [ "$back" != "$plain" ]; then
    echo "mismatch for plain='$plain' key='$key': openssl $expected, tool $actual, back '$back'"
    fail=1
  fi
}
check "" 7
check '{"domainid":"10001"}' 7
check "0123456789abcdef" 1
check "访客：你好，请问在吗？" "密钥"
check "emoji 😀 and ü" "κλειδί"
for n in 1 15 16 17 31 32 33 100 1000; do
  check "$(head -c "$n" /dev/zero | tr '\0' 'x')" "k$n"
done
if [ $fail -eq 0 ]; then echo "cipher vectors: 1 passed, 0 failed"; fi
exit $fail
