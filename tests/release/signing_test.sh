#!/usr/bin/env bash
# Signs a copy of QWUNINST.EXE with scripts/sign as the maker would, with
# a throwaway certificate authority and code-signing certificate made
# here, and checks the result:
#
#   signing_test.sh SOURCE_DIR EXE SIGNED_COPY
#
# - the unsigned file passes the audit, whose 32 KiB limit is for it;
# - missing or wrong signing material is refused with a message that
#   names it, and the file stays as it was;
# - osslsigncode verifies the signature (SHA-256, the maker as signer)
#   against the throwaway authority, and not against another one, nor on
#   a copy changed after signing;
# - the PE checksum in the header is that of the signed file.
#
# No time-stamp server is reachable here, so the signature carries no
# time stamp. SIGNED_COPY is left for the run of the signed copy under
# Wine (e2e_signed).
set -uo pipefail
src=${1:?usage: signing_test.sh SOURCE_DIR EXE SIGNED_COPY}
exe=${2:?usage: signing_test.sh SOURCE_DIR EXE SIGNED_COPY}
signed=${3:?usage: signing_test.sh SOURCE_DIR EXE SIGNED_COPY}
src=$(realpath "$src")
exe=$(realpath "$exe")
signed=$(realpath -m "$signed")
sign=$src/scripts/sign
# Only what each case gives counts, not what the caller's shell holds.
unset QW_SIGN_PKCS12 QW_SIGN_PASSWORD QW_SIGN_TIMESTAMP

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# An authority and, signed by it, the maker's code-signing certificate in
# a PKCS#12 file; a second authority, and a certificate of the first one
# that is not for code signing.
PASSWORD='test pass 1'
make_ca() {
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.pem" -days 2 -subj "/CN=$2" \
        -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign
}
make_leaf() {
    local name=$1 usage=$2
    openssl req -newkey rsa:2048 -nodes -keyout "$name.key" -out "$name.csr" -subj "/C=JP/O=QELVORA/CN=QELVORA"
    printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=%s\n' "$usage" >"$name.ext"
    openssl x509 -req -in "$name.csr" -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile "$name.ext" \
        -out "$name.pem"
    openssl pkcs12 -export -inkey "$name.key" -in "$name.pem" -certfile ca.pem -out "$name.p12" \
        -passout "pass:$PASSWORD"
}
if ! { make_ca ca "QW Throwaway Root" && make_ca other "QW Other Root" &&
       make_leaf maker codeSigning && make_leaf server serverAuth; } >openssl.log 2>&1; then
    cat openssl.log
    echo "FAIL: the throwaway certificates could not be made"
    exit 1
fi

unsigned_size=$(stat -c %s "$exe")
"$src/scripts/check-pe" "$exe" || fail "the unsigned file does not pass the audit"

# Each refusal: exit code not 0, a message with the expected words, the
# copy unchanged.
refused() {
    local what=$1 words=$2
    shift 2
    cp "$exe" try.exe
    if env "$@" "$sign" try.exe >out.txt 2>&1; then
        fail "$what: signed anyway"
    elif ! grep -qF "$words" out.txt; then
        fail "$what: the message does not say \"$words\": $(cat out.txt)"
    fi
    cmp -s "$exe" try.exe || fail "$what: the file was changed"
}
refused "no PKCS#12 file named" "QW_SIGN_PKCS12 is not set" QW_SIGN_PASSWORD="$PASSWORD"
refused "a PKCS#12 file that is not there" "cannot read the PKCS#12 file" \
    QW_SIGN_PKCS12="$work/absent.p12" QW_SIGN_PASSWORD="$PASSWORD"
refused "no password" "QW_SIGN_PASSWORD is not set" QW_SIGN_PKCS12=maker.p12
refused "a wrong password" "wrong password" QW_SIGN_PKCS12=maker.p12 QW_SIGN_PASSWORD=wrong
refused "a certificate, not a PKCS#12 file" "not a PKCS#12 file" QW_SIGN_PKCS12=maker.pem QW_SIGN_PASSWORD="$PASSWORD"
refused "a certificate for servers" "not one for code signing" QW_SIGN_PKCS12=server.p12 QW_SIGN_PASSWORD="$PASSWORD"

mkdir -p "$(dirname "$signed")"
cp "$exe" "$signed"
if ! QW_SIGN_PKCS12=maker.p12 QW_SIGN_PASSWORD="$PASSWORD" "$sign" "$signed"; then
    echo "FAIL: scripts/sign failed with the maker's certificate"
    exit 1
fi
signed_size=$(stat -c %s "$signed")
echo "unsigned $unsigned_size bytes, signed $signed_size bytes"
[ "$signed_size" -gt "$unsigned_size" ] || fail "the signed file is not larger than the unsigned one"

if osslsigncode verify -CAfile ca.pem -in "$signed" >verify.txt 2>&1; then
    grep -q '^Message digest algorithm *: SHA256' verify.txt || fail "the file's digest is not SHA-256"
    grep -q 'Subject: /C=JP/O=QELVORA/CN=QELVORA' verify.txt || fail "the signer is not the maker"
    grep -q 'Text description: QELVORA Wattrix2 Uninstaller' verify.txt || fail "the signature does not name the program"
    grep -q 'Timestamp is not available' verify.txt || fail "the signature carries a time stamp"
else
    cat verify.txt
    fail "osslsigncode does not verify the signature against the throwaway authority"
fi
osslsigncode verify -CAfile other.pem -in "$signed" >verify-other.txt 2>&1 &&
    fail "the signature verifies against an authority that did not issue the certificate"
# A byte of the version resource's text changed after signing.
cp "$signed" changed.exe
offset=$(grep -obUaP 'Q\x00E\x00L\x00V\x00O\x00R\x00A\x00' changed.exe | head -n 1 | cut -d: -f1)
printf 'X' | dd of=changed.exe bs=1 seek="$offset" conv=notrunc status=none
osslsigncode verify -CAfile ca.pem -in changed.exe >verify-changed.txt 2>&1 &&
    fail "the signature verifies on a file changed after signing"

read -r stored computed < <(python3 "$src/tests/release/pe_checksum.py" "$signed")
[ "$stored" = "$computed" ] || fail "the PE checksum is $stored in the header, $computed by the file"
echo "PE checksum $stored"

[ $failures -eq 0 ] && echo "signing: all checks passed"
[ $failures -eq 0 ]
