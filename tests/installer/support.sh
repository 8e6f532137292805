# Sourced by the installer's and the release's tests: waiting for a condition, and for the tests that sign
# packages a throwaway code-signing authority and an RFC 3161 time-stamp authority of their own on
# loopback (tsa.py, with openssl and python3).

# Waits up to 10 s until a command succeeds.
wait_until() {
  for _ in $(seq 50); do
    "$@" && return 0
    sleep 0.2
  done
  return 1
}

# make_signing_pki DIR: DIR/{ca,tsa-ca}.pem roots, DIR/sign.{pem,key} the signer, DIR/tsa.* the time-stamp
# authority's; exports KAVELO_SIGN_CERT, KAVELO_SIGN_CA_FILE and KAVELO_SIGN_TSA_CA_FILE for installer/sign.sh.
make_signing_pki() {
  pki="$1"
  mkdir -p "$pki/tokens"
  # The time-stamp authority's root is another: a time stamp that verifies is the loopback authority's.
  for root in ca tsa-ca; do
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$pki/$root.key" -out "$pki/$root.pem" -days 2 \
      -subj "/CN=KAVELO test $root" -addext basicConstraints=critical,CA:TRUE 2>/dev/null
  done
  issue ca sign "/CN=KAVELO test signer" $'keyUsage=digitalSignature\nextendedKeyUsage=codeSigning'
  issue tsa-ca tsa "/CN=KAVELO test time stamps" \
    $'keyUsage=critical,digitalSignature\nextendedKeyUsage=critical,timeStamping'
  printf '%s\n' '[ tsa ]' 'default_tsa = kavelo' '[ kavelo ]' "serial = $pki/tsa-serial" \
    'default_policy = 1.2.3.4.1' 'digests = sha256' 'signer_digest = sha256' 'accuracy = secs:1' \
    'ess_cert_id_alg = sha256' >"$pki/tsa.cnf"
  echo 01 >"$pki/tsa-serial"
  export KAVELO_SIGN_CERT="$pki/sign.pem" KAVELO_SIGN_CA_FILE="$pki/ca.pem" KAVELO_SIGN_TSA_CA_FILE="$pki/tsa-ca.pem"
}

issue() {  # issue ROOT NAME SUBJECT EXTENSIONS
  openssl req -newkey rsa:2048 -nodes -keyout "$pki/$2.key" -out "$pki/$2.csr" -subj "$3" 2>/dev/null
  printf "basicConstraints=CA:FALSE\n%s\n" "$4" >"$pki/$2.ext"
  openssl x509 -req -in "$pki/$2.csr" -CA "$pki/$1.pem" -CAkey "$pki/$1.key" -CAcreateserial \
    -days 2 -extfile "$pki/$2.ext" -out "$pki/$2.pem" 2>/dev/null
}

start_tsa() {  # start_tsa [--fail-after N]: sets tsa_url and tsa_pid
  python3 "$(dirname "${BASH_SOURCE[0]}")/tsa.py" "$pki/tsa.pem" "$pki/tsa.key" "$pki/tsa.cnf" "$@" >"$pki/tsa.port" &
  tsa_pid=$!
  wait_until test -s "$pki/tsa.port"
  tsa_url="http://127.0.0.1:$(head -1 "$pki/tsa.port")"
}
