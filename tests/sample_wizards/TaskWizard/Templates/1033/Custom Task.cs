class CustomTask {}
