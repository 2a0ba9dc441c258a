#pragma once
// The PKCS#11 interface as the system installs it (p11-kit's header, in its
// standard-compatible form), with the structures in the platform's own ABI.
//
// The header defines lower-case helper macros (value, count, parameter,
// reserved ...) that would rename every later identifier of that spelling,
// std::optional::value() included; they are removed right after it.

#include <p11-kit/pkcs11.h>

#undef aad_len
#undef aad_ptr
#undef count
#undef counter_bits
#undef create_mutex
#undef cryptoki_version
#undef data_params
#undef destroy_mutex
#undef device_error
#undef firmware_version
#undef free_private_memory
#undef free_public_memory
#undef hardware_version
#undef hash_alg
#undef iv_bits
#undef iv_len
#undef iv_ptr
#undef library_description
#undef library_version
#undef lock_mutex
#undef manufacturer_id
#undef max_key_size
#undef max_pin_len
#undef max_rw_session_count
#undef max_session_count
#undef min_key_size
#undef min_pin_len
#undef parameter
#undef parameter_len
#undef params
#undef public_data
#undef public_data_len
#undef reserved
#undef rw_session_count
#undef s_len
#undef serial_number
#undef session_count
#undef shared_data
#undef shared_data_len
#undef slot_description
#undef slot_id
#undef source_data
#undef source_data_len
#undef string_data
#undef string_data_len
#undef tag_bits
#undef total_private_memory
#undef total_public_memory
#undef unlock_mutex
#undef utc_time
#undef value
#undef value_len
