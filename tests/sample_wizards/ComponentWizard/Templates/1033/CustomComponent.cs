class CustomComponent {}
